' Why an upload ended, as a progress page reads it: StatusReason is empty for an unknown ID and for
' a success, and names the limit, the field and the sizes for a rejected upload (status 5).
Set fso = CreateObject("Scripting.FileSystemObject")
Set p = CreateObject("Kestrune.Progress")
On Error Resume Next
r = p.StatusReason
Response.Write "no ID: " & Hex(Err.Number) & " [" & Err.Source & "] " & Err.Description & vbCrLf
Err.Clear
On Error GoTo 0
p.ID = "status-reason-page"
Response.Write "unknown ID: [" & p.StatusReason & "] status " & p.UploadStatus & vbCrLf

Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
up.ID = "status-reason-page"
up.MaxFiles = 1
On Error Resume Next
up.Save fso.GetSpecialFolder(2).Path
Response.Write "Save: " & Hex(Err.Number) & vbCrLf
On Error GoTo 0
Response.Write "status " & p.UploadStatus & " " & p.UploadStatusString & " complete=" & p.UploadComplete & vbCrLf
Response.Write "reason: " & p.StatusReason & vbCrLf
