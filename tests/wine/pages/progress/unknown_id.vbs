' An ID that no upload uses reads as an upload that has not started.
Set p = CreateObject("Kestrune.Progress")
p.ID = "no-upload-uses-this-id"
Response.Write "id=" & p.ID & vbCrLf
Response.Write "status=" & p.UploadStatus & vbCrLf
Response.Write "text=" & p.UploadStatusString & vbCrLf
Response.Write "percent=" & p.PercentDone & " bytes=" & p.UploadedBytes & " total=" & p.TotalBytes & vbCrLf
Response.Write "complete=" & p.UploadComplete & " cancelled=" & p.UploadCancelled & vbCrLf
Response.Write "file=[" & p.CurrentFileName & "]" & vbCrLf
On Error Resume Next
p.CancelUpload
Response.Write "CancelUpload " & Hex(Err.Number) & vbCrLf
