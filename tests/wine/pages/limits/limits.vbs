' The limits a page sets before Save, each tried with a request just under it and one just over
' it (the limit comes in the query string, as limits.*.http give it). Under: every field arrives.
' Over: Save fails with the limit's own error and a description of it, nothing stays (no field,
' no temporary file), and a progress page reads "Upload rejected" and the reason.
Set fso = CreateObject("Scripting.FileSystemObject")
dir = fso.GetSpecialFolder(2).Path & "\" & fso.GetTempName()
fso.CreateFolder dir

Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
up.ID = "limits-page"
For Each name In Array("MaxTotalBytes", "MaxFileBytes", "MaxFiles", "MaxFields", "MaxFieldBytes", "MaxParts")
  If Request.QueryString(name) <> "" Then Response.Write name & "=" & Request.QueryString(name) & vbCrLf
Next
If Request.QueryString("MaxTotalBytes") <> "" Then up.MaxTotalBytes = CLng(Request.QueryString("MaxTotalBytes"))
If Request.QueryString("MaxFileBytes") <> "" Then up.MaxFileBytes = CLng(Request.QueryString("MaxFileBytes"))
If Request.QueryString("MaxFiles") <> "" Then up.MaxFiles = CLng(Request.QueryString("MaxFiles"))
If Request.QueryString("MaxFields") <> "" Then up.MaxFields = CLng(Request.QueryString("MaxFields"))
If Request.QueryString("MaxFieldBytes") <> "" Then up.MaxFieldBytes = CLng(Request.QueryString("MaxFieldBytes"))
If Request.QueryString("MaxParts") <> "" Then up.MaxParts = CLng(Request.QueryString("MaxParts"))
If Request.QueryString("RequireCompleteBody") <> "" Then up.RequireCompleteBody = (Request.QueryString("RequireCompleteBody") = "1")

On Error Resume Next
up.Save dir
Response.Write "Save: " & Hex(Err.Number) & " [" & Err.Source & "] " & Err.Description & vbCrLf
On Error GoTo 0
Response.Write "form=" & up.Form.Count & " files=" & up.Files.Count & " temp=" & fso.GetFolder(dir).Files.Count & vbCrLf

Set p = CreateObject("Kestrune.Progress")
p.ID = "limits-page"
Response.Write "progress: " & p.UploadStatus & " " & p.UploadStatusString & " [" & p.StatusReason & "]" & vbCrLf

Set up = Nothing
Response.Write "left in the directory: " & fso.GetFolder(dir).Files.Count & vbCrLf
fso.DeleteFolder dir
