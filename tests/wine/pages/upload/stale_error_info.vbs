' A failing call hands the script its own description and source, never one left on the thread
' by an earlier, unrelated failure of another component (ErrorInfo.Leave plays that component).
Set fso = CreateObject("Scripting.FileSystemObject")
dir = fso.GetSpecialFolder(2).Path & "\" & fso.GetTempName()
fso.CreateFolder dir
On Error Resume Next

Sub Check(what)
  Response.Write what & ": " & Hex(Err.Number) & " stale=" & (InStr(Err.Description, "left by another") > 0) & _
    " [" & Err.Source & "] " & Err.Description & vbCrLf
  Err.Clear
End Sub

' The control: a component that does not clear the thread's error object shows the stale text.
Set d = CreateObject("Scripting.Dictionary")
d.Add "k", 1
ErrorInfo.Leave "left by another component"
d.Add "k", 2
Check "Dictionary.Add of a key it has"

Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
ErrorInfo.Leave "left by another component"
n = up.Files.Count
Check "Upload.Files before Save"
ErrorInfo.Leave "left by another component"
up.Save dir
Check "Upload.Save of a request that is not multipart"
ErrorInfo.Leave "left by another component"
up.Save dir
Check "Upload.Save a second time"
ErrorInfo.Leave "left by another component"
Set x = up.Files(0)
Check "Files(0)"
ErrorInfo.Leave "left by another component"
Set x = up.Form(7)
Check "Form(7)"

ErrorInfo.Leave "left by another component"
Set x = up.Files(1.5)
Check "Files(1.5)"
ErrorInfo.Leave "left by another component"
up.MaxFiles = -1
Check "Upload.MaxFiles = -1"

Set p = CreateObject("Kestrune.Progress")
ErrorInfo.Leave "left by another component"
n = p.TotalBytes
Check "Progress.TotalBytes without an ID"
ErrorInfo.Leave "left by another component"
p.CancelUpload
Check "Progress.CancelUpload without an ID"
ErrorInfo.Leave "left by another component"
s = p.UploadStatusString
Check "Progress.UploadStatusString without an ID"

Set up = Nothing
Response.Write "left in the directory: " & fso.GetFolder(dir).Files.Count & vbCrLf
fso.DeleteFolder dir
