' Save with no ID: the upload is registered under a generated GUID that Upload.ID then returns.
Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
Response.Write "before=[" & up.ID & "]" & vbCrLf
up.Save CreateObject("Scripting.FileSystemObject").GetSpecialFolder(2).Path
id = up.ID
Response.Write "length=" & Len(id) & " braces=" & (Left(id, 1) = "{" And Right(id, 1) = "}") & " dashes=" & (Mid(id, 10, 1) = "-" And Mid(id, 25, 1) = "-") & vbCrLf
Response.Write "known=" & up.IsUploadInitialized(id) & vbCrLf
Set p = CreateObject("Kestrune.Progress")
p.ID = id
Response.Write "status=" & p.UploadStatus & " bytes=" & p.UploadedBytes & vbCrLf
