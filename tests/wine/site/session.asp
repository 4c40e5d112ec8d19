<%@ Language="VBScript" CodePage=65001 %>
<%
' Shows the session, one "name=value" line each, after what the query asks: set=NAME&value=V
' stores a value, timeout=N sets Session.Timeout, object=1 tries to store an object, abandon=1
' abandons the session at the end of the page.
Response.ContentType = "text/plain"
If Request.QueryString("set") <> "" Then Session.Contents(Request.QueryString("set")) = Request.QueryString("value")
If Request.QueryString("timeout") <> "" Then Session.Timeout = CLng(Request.QueryString("timeout"))
If Request.QueryString("object") = "1" Then
  On Error Resume Next
  Set Session.Contents("object") = Server.CreateObject("Scripting.Dictionary")
  Response.Write "object error=" & Err.Number & vbLf
  On Error GoTo 0
End If
Response.Write "id=" & Session.SessionID & vbLf
Response.Write "timeout=" & Session.Timeout & vbLf
Response.Write "count=" & Session.Contents.Count & vbLf
Dim name
For Each name In Session.Contents
  Response.Write name & "=" & Session.Contents(name) & vbLf
Next
If Request.QueryString("abandon") = "1" Then Session.Abandon
%>
