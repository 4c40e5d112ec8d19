' The installed component as a page uses it: an upload with an ID is saved and read back, a
' Progress object follows the same ID, and no temporary file stays once the objects are gone.
Set fso = CreateObject("Scripting.FileSystemObject")
dir = fso.GetSpecialFolder(2).Path & "\" & fso.GetTempName()
fso.CreateFolder dir

Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
up.ID = "package-check"
up.Save dir
Response.Write "files=" & up.Files.Count & " form=" & up.Form.Count & vbCrLf
For Each f In up.Files
  Response.Write f.FieldName & ": " & f.SafeFileName & " " & f.ContentLength & " bytes" & vbCrLf
Next
Response.Write "note=" & up.Form("note") & vbCrLf

Set p = CreateObject("Kestrune.Progress")
p.ID = "package-check"
Response.Write "progress: status " & p.UploadStatus & ", " & p.UploadedBytes & " of " & p.TotalBytes & " bytes" & vbCrLf

Set f = Nothing
Set up = Nothing
Response.Write "left in the temporary folder: " & fso.GetFolder(dir).Files.Count & vbCrLf
fso.DeleteFolder dir
