<%
' Counts its requests in Application under the lock; read=1 only reads the count.
Response.ContentType = "text/plain"
If Request.QueryString("read") <> "1" Then
  Application.Lock
  Application.Contents("hits") = Application.Contents("hits") + 1
  Application.UnLock
End If
Response.Write "hits=" & Application.Contents("hits")
%>
