<%
' Waits until its client goes away (Response.IsClientConnected), then notes it in Application;
' connected.asp?read=1 shows the note.
Response.ContentType = "text/plain"
If Request.QueryString("read") = "1" Then
  Response.Write "gone=" & Application.Contents("client gone")
Else
  Response.Write "waiting"
  Response.Flush
  Do While Response.IsClientConnected
  Loop
  Application.Contents("client gone") = "yes"
End If
%>
