' After Save the upload stays registered under the page's ID: a Progress object on the same ID
' reads the final figures, and IsUploadInitialized knows the ID (exactly, case-sensitively).
Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
Set p = CreateObject("Kestrune.Progress")
p.ID = "progress-page-after-save"
Response.Write "before=" & p.UploadStatus & " known=" & up.IsUploadInitialized("progress-page-after-save") & vbCrLf
up.ID = "progress-page-after-save"
up.Save CreateObject("Scripting.FileSystemObject").GetSpecialFolder(2).Path
Response.Write "files=" & up.Files.Count & " form=" & up.Form.Count & vbCrLf
Response.Write "status=" & p.UploadStatus & vbCrLf
Response.Write "text=" & p.UploadStatusString & vbCrLf
Response.Write "bytes=" & p.UploadedBytes & " total=" & p.TotalBytes & " percent=" & p.PercentDone & vbCrLf
Response.Write "complete=" & p.UploadComplete & " cancelled=" & p.UploadCancelled & vbCrLf
Response.Write "filesDone=" & p.UploadedFilesCount & " file=[" & p.CurrentFileName & "]" & vbCrLf
Response.Write "speed=" & p.BytesPerSecondCurrent & " left=" & p.SecondsLeftAverage & vbCrLf
Response.Write "known=" & up.IsUploadInitialized("progress-page-after-save") & vbCrLf
Response.Write "other case=" & up.IsUploadInitialized("PROGRESS-PAGE-AFTER-SAVE") & vbCrLf
Set again = CreateObject("Kestrune.Upload")
again.OnStartPage ScriptingContext
again.ID = "progress-page-after-save"
On Error Resume Next
again.Save CreateObject("Scripting.FileSystemObject").GetSpecialFolder(2).Path
Response.Write "same ID again " & Hex(Err.Number) & vbCrLf
