<!--#include file="inc/temp_folder.inc"-->
<%
' An upload that lasts longer than the script may run: Save is not stopped (the component is
' working), the script is, at its first statement after Save.
Response.ContentType = "text/plain"
Dim upload, folder
folder = TempFolder()
Set upload = Server.CreateObject("Kestrune.Upload")
upload.ID = Request.QueryString("id")
upload.Save folder
Response.Write "never written: files=" & upload.Files.Count
%>
