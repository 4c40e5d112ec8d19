<%
' The status of an upload, from a page that forgot EnableSessionState=False: a request of the
' browser's session, it waits while an upload of that session runs.
Response.ContentType = "text/plain"
Dim progress
Set progress = Server.CreateObject("Kestrune.Progress")
progress.ID = Request.QueryString("id")
Response.Write "status=" & progress.UploadStatus
%>
