@echo off
rem uninstall.cmd: removes what install.cmd installed. Unregisters each Kestrune.dll found in
rem %ProgramFiles%\Kestrune\x86 and \x64 with the regsvr32.exe of its architecture, then deletes it
rem and the folders left empty. Run it from an elevated prompt.
rem
rem Exit code: 0 removed (or nothing was installed), 1 failed (the lines before say what was done),
rem 2 bad arguments, 5 not elevated (nothing changed).
setlocal EnableExtensions DisableDelayedExpansion
set "me=uninstall.cmd"

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

if "%~1"=="" goto arguments_read
if "%~1"=="/?" goto usage
echo %me%: unknown argument "%~1"
goto usage
:arguments_read

if exist "%target%\x86\Kestrune.dll" goto elevation
if exist "%target%\x64\Kestrune.dll" goto elevation
echo %me%: Kestrune is not installed in %target%: nothing to do
exit /b 0

rem Unregistration removes keys under HKEY_LOCAL_MACHINE: only an elevated prompt may. fltmc answers
rem only an administrator; where it is missing, net session asks the same.
:elevation
"%native%\fltmc.exe" >nul 2>&1
if not errorlevel 1 goto elevated
"%native%\net.exe" session >nul 2>&1
if not errorlevel 1 goto elevated
echo %me%: needs an elevated prompt: open Command Prompt with "Run as administrator" and run
echo it again. Nothing was changed.
exit /b 5
:elevated

set "result=0"
call :remove x86 "%regsvr32_x86%"
if errorlevel 1 set "result=1"
call :remove x64 "%regsvr32_x64%"
if errorlevel 1 set "result=1"
rmdir "%target%" >nul 2>&1
if "%result%"=="1" goto failed
echo %me%: Kestrune is removed from this Windows.
exit /b 0

:failed
echo %me%: not everything could be removed; the lines above say what was.
exit /b 1

rem :remove ARCH REGSVR32 unregisters the installed ARCH\Kestrune.dll, if any, and deletes it.
:remove
set "dll=%target%\%~1\Kestrune.dll"
if not exist "%dll%" exit /b 0
if not "%~2"=="" goto remove_unregister
echo %me%: %~1: this Windows cannot run %dll%, so it cannot unregister it
exit /b 1
:remove_unregister
if exist "%~2" goto remove_run
echo %me%: %~1: %~2 is missing (this Windows runs no 32-bit programs), so %dll% stays registered
exit /b 1
:remove_run
"%~2" /s /u "%dll%"
if not errorlevel 1 goto remove_delete
echo %me%: %~1: %~2 could not unregister %dll% (exit code %errorlevel%); it stays
exit /b 1
:remove_delete
echo %me%: %~1: %dll% unregistered with %~2
del /f /q "%dll%" >nul 2>&1
if not exist "%dll%" goto remove_deleted
echo %me%: %~1: cannot delete %dll%: if IIS has it loaded, stop the application pools that use
echo it (or run iisreset /stop) and delete the folder %target%
exit /b 1
:remove_deleted
rmdir "%target%\%~1" >nul 2>&1
echo %me%: %~1: %dll% deleted
exit /b 0

:usage
echo usage: %me%
echo Unregisters and deletes the Kestrune.dll files that install.cmd put in %target%. Needs an
echo elevated prompt.
exit /b 2
