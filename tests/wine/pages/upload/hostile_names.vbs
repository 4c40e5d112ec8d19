' Client file names built to make Extension and SafeFileName disagree. The page checks Extension
' and stores each file under its SafeFileName, each in a folder of its own; then it lists what
' Windows actually created, and its extension.
Set fso = CreateObject("Scripting.FileSystemObject")
dir = fso.GetSpecialFolder(2).Path & "\" & fso.GetTempName()
fso.CreateFolder dir

Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
up.Save dir

' What the mend relies on: Windows drops trailing dots and spaces from the name it opens.
up.Files("plain").CopyTo dir & "\probe.asp. . "
Response.Write "trailing dots and spaces dropped by Windows: " & fso.FileExists(dir & "\probe.asp") & vbCrLf
fso.DeleteFile dir & "\probe.asp"

Sub Report(f, name)
  shown = name
  If Len(name) > 40 Then shown = Left(name, 4) & "...(" & Len(name) & ")..." & Right(name, 12)
  Response.Write f.FieldName & ": Extension=[" & f.Extension & "] stored=[" & shown & "] its extension=[" & _
    fso.GetExtensionName(name) & "] agree=" & (fso.GetExtensionName(name) = f.Extension) & vbCrLf
End Sub

n = 0
For Each f In up.Files
  n = n + 1
  folder = dir & "\" & n
  fso.CreateFolder folder
  f.SaveAs folder & "\" & f.SafeFileName
  If Len(folder & "\" & f.SafeFileName) < 260 Then
    For Each stored In fso.GetFolder(folder).Files
      Report f, stored.Name
    Next
  Else
    ' Wine's FileSystemObject cannot list a path this long: ask for the one name expected.
    Response.Write "(" & fso.GetFolder(folder).Files.Count & " file, exists: " & _
      fso.FileExists(folder & "\" & f.SafeFileName) & ") "
    Report f, f.SafeFileName
    f.SaveAs folder & "\short"  ' nor delete it: the object moves it to a shorter name first
    fso.DeleteFile folder & "\short"
  End If
  fso.DeleteFolder folder
Next
Response.Write "GetSafeName: [" & up.Files(1).GetSafeName("a\b\report.pdf . ") & "]" & vbCrLf

Set up = Nothing
Set f = Nothing
Response.Write "left in the directory: " & fso.GetFolder(dir).Files.Count & " files, " & _
  fso.GetFolder(dir).SubFolders.Count & " folders" & vbCrLf
fso.DeleteFolder dir
