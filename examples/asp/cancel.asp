<%@ Language="VBScript" CodePage=65001 EnableSessionState=False %>
<%
' Cancels the upload whose ID is in the query string; answers JSON saying whether it could.
' Without session state, like progress.asp, so that it answers while the upload runs.
Option Explicit
Response.ContentType = "application/json"
Dim progress, result
Set progress = Server.CreateObject("Kestrune.Progress")
progress.ID = Request.QueryString("id")
On Error Resume Next
progress.CancelUpload
result = Err.Number
On Error GoTo 0
If result = 0 Then
  Response.Write "{""cancelled"": true}"
Else
  Response.Write "{""cancelled"": false, ""error"": """ & Hex(result) & """}"
End If
%>
