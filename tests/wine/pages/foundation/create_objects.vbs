' The registered classes are created by ProgID and described by the registered type library.
Set progress = CreateObject("Kestrune.Progress")
Response.Write TypeName(progress) & vbCrLf
Set upload = CreateObject("Kestrune.Upload.1")
Response.Write TypeName(upload) & vbCrLf
On Error Resume Next
Set metadata = CreateObject("Kestrune.UploadMetadata")
Response.Write "UploadMetadata: " & Err.Number & vbCrLf
Err.Clear
Set file = CreateObject("Kestrune.UploadedFile")
Response.Write "UploadedFile: " & Hex(Err.Number) & vbCrLf
