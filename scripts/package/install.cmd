@echo off
rem install.cmd: installs Kestrune @KESTRUNE_VERSION@ on this Windows. Copies Kestrune.dll of each
rem architecture from this folder to %ProgramFiles%\Kestrune\x86 and \x64 and registers each copy
rem with the regsvr32.exe of its own architecture. Run it from an elevated prompt.
rem
rem   install.cmd            x86 and x64 on 64-bit Windows, x86 on 32-bit Windows
rem   install.cmd x64        only the architectures named (x86, x64)
rem
rem Exit code: 0 installed, 1 failed (the lines before say what was done), 2 bad arguments,
rem 5 not elevated (nothing changed).
setlocal EnableExtensions DisableDelayedExpansion
set "me=install.cmd"
set "source=%~dp0"

rem This Windows: its architecture, its own system folder (a 32-bit prompt on 64-bit Windows sees
rem SysWOW64 in place of System32; Sysnative is the real System32), and the install folder.
set "osarch=%PROCESSOR_ARCHITECTURE%"
if defined PROCESSOR_ARCHITEW6432 set "osarch=%PROCESSOR_ARCHITEW6432%"
set "native=%SystemRoot%\System32"
if defined PROCESSOR_ARCHITEW6432 set "native=%SystemRoot%\Sysnative"
set "programs=%ProgramFiles%"
if defined ProgramW6432 set "programs=%ProgramW6432%"
set "target=%programs%\Kestrune"
set "regsvr32_x86="
set "regsvr32_x64="
if /i "%osarch%"=="x86" set "regsvr32_x86=%SystemRoot%\System32\regsvr32.exe"
if /i "%osarch%"=="AMD64" set "regsvr32_x86=%SystemRoot%\SysWOW64\regsvr32.exe"
if /i "%osarch%"=="AMD64" set "regsvr32_x64=%native%\regsvr32.exe"
if not defined regsvr32_x86 goto unknown_windows

rem The architectures named on the command line, if any.
set "want_x86="
set "want_x64="
set "named="
:next_argument
if "%~1"=="" goto arguments_read
if "%~1"=="/?" goto usage
if /i "%~1"=="x86" goto name_x86
if /i "%~1"=="x64" goto name_x64
echo %me%: unknown argument "%~1"
goto usage
:name_x86
set "want_x86=1"
set "named=1"
shift
goto next_argument
:name_x64
set "want_x64=1"
set "named=1"
shift
goto next_argument
:arguments_read

rem Registration writes under HKEY_LOCAL_MACHINE: only an elevated prompt may. fltmc answers only an
rem administrator; where it is missing, net session asks the same.
:elevation
"%native%\fltmc.exe" >nul 2>&1
if not errorlevel 1 goto elevated
"%native%\net.exe" session >nul 2>&1
if not errorlevel 1 goto elevated
echo %me%: needs an elevated prompt: open Command Prompt with "Run as administrator" and run
echo it again. Nothing was changed.
exit /b 5
:elevated

rem Without any named: every architecture this Windows runs (x86 on 64-bit Windows only where WoW64,
rem its 32-bit subsystem, is installed).
if defined named goto architectures_chosen
set "want_x86=1"
if defined regsvr32_x64 set "want_x64=1"
if exist "%regsvr32_x86%" goto architectures_chosen
set "want_x86="
echo %me%: x86 left out: this Windows runs no 32-bit programs (no %regsvr32_x86%)
if not defined want_x64 goto nothing_to_install
:architectures_chosen
if not defined want_x64 goto x64_checked
if defined regsvr32_x64 goto x64_checked
echo %me%: this is 32-bit Windows: it cannot run the x64 DLL
exit /b 1
:x64_checked

if not defined want_x86 goto x86_installed
call :install x86 "%regsvr32_x86%"
if errorlevel 1 goto failed
:x86_installed
if not defined want_x64 goto x64_installed
call :install x64 "%regsvr32_x64%"
if errorlevel 1 goto failed
:x64_installed
echo %me%: Kestrune @KESTRUNE_VERSION@ is installed in %target%. Keep the DLLs there: the registry
echo points to them. uninstall.cmd removes them and their registration.
exit /b 0

:failed
echo %me%: stopped; what the lines above say was done stays done.
exit /b 1

rem :install ARCH REGSVR32 copies this folder's ARCH\Kestrune.dll to the install folder and registers
rem it there.
:install
set "from=%source%%~1\Kestrune.dll"
set "dll=%target%\%~1\Kestrune.dll"
if exist "%from%" goto install_copy
echo %me%: %~1: "%from%" is missing; unpack the whole package again
exit /b 1
:install_copy
rem Run from the install folder itself, the DLL is in place already.
if /i "%from%"=="%dll%" goto install_register
if not exist "%target%\%~1" mkdir "%target%\%~1"
copy /b /y "%from%" "%dll%" >nul 2>&1
if not errorlevel 1 goto install_register
echo %me%: %~1: cannot write %dll%: if IIS has it loaded, stop the application pools that
echo use it (or run iisreset /stop), then run %me% again
exit /b 1
:install_register
"%~2" /s "%dll%"
if not errorlevel 1 goto install_done
echo %me%: %~1: %~2 could not register %dll% (exit code %errorlevel%)
exit /b 1
:install_done
echo %me%: %~1: %dll% registered with %~2
exit /b 0

:usage
echo usage: %me% [x86] [x64]
echo Copies Kestrune.dll to %target% and registers it, for the architectures named or, without
echo any, for every one this Windows runs. Needs an elevated prompt.
exit /b 2

:nothing_to_install
echo %me%: nothing to install
exit /b 1

:unknown_windows
echo %me%: this Windows (%osarch%) is neither x86 nor x64: Kestrune has no DLL for it
exit /b 1
