' Client file names that Windows opens as devices (nul.txt, CON.jpg, ...): SafeFileName stores
' them as ordinary files under a leading underscore, and SaveAs or CopyTo onto the device name
' fails instead of sending the bytes nowhere; the file stays with its object.
Set fso = CreateObject("Scripting.FileSystemObject")
dir = fso.GetSpecialFolder(2).Path & "\" & fso.GetTempName()
fso.CreateFolder dir

Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
up.CodePage = 65001
up.Save dir

On Error Resume Next
For Each f In up.Files
  Response.Write f.FieldName & ": [" & f.ClientFilePath & "] safe=[" & f.SafeFileName & "] ext=[" & f.Extension & "]"
  If Left(f.SafeFileName, 1) = "_" Then
    device = dir & "\" & Mid(f.SafeFileName, 2)
    temp = f.TempFileName
    f.CopyTo device, True
    Response.Write " CopyTo " & Hex(Err.Number)
    If f.FieldName = "f1" Then Response.Write " [" & Err.Source & "] " & Replace(Err.Description, dir, "DIR")
    Err.Clear
    f.SaveAs device, True
    Response.Write " SaveAs " & Hex(Err.Number) & " still its file=" & (f.TempFileName = temp And fso.FileExists(temp))
    Err.Clear
  End If
  f.SaveAs dir & "\" & f.SafeFileName
  Response.Write " stored=" & Err.Number & " " & fso.GetFile(dir & "\" & f.SafeFileName).Size & vbCrLf
  Err.Clear
Next
On Error GoTo 0

Set up = Nothing
Set f = Nothing
Response.Write "files in the directory: " & fso.GetFolder(dir).Files.Count & vbCrLf
fso.DeleteFolder dir
