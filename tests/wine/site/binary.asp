<%
' Echoes the body back through BinaryRead and BinaryWrite.
Response.ContentType = "application/octet-stream"
Dim n, data
n = Request.TotalBytes
If n > 0 Then
  data = Request.BinaryRead(n)
  Response.BinaryWrite data
End If
%>