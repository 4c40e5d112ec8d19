' A Progress object whose ID was never set: every figure fails with E_FAIL, the ID reads empty.
Set p = CreateObject("Kestrune.Progress")
Response.Write "id=[" & p.ID & "]" & vbCrLf
On Error Resume Next
x = p.PercentDone
Response.Write "PercentDone " & Hex(Err.Number) & vbCrLf
Err.Clear
x = p.UploadStatus
Response.Write "UploadStatus " & Hex(Err.Number) & vbCrLf
Err.Clear
x = p.UploadStatusString
Response.Write "UploadStatusString " & Hex(Err.Number) & vbCrLf
Err.Clear
p.CancelUpload
Response.Write "CancelUpload " & Hex(Err.Number) & vbCrLf
