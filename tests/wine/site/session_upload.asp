<!--#include file="inc/temp_folder.inc"-->
<%
' Receives an upload (ID from the query) with session state, under a longer script timeout than
' the server's; answers the number of files and their bytes.
Server.ScriptTimeout = 600
Response.ContentType = "text/plain"
Dim upload, folder
folder = TempFolder()
Set upload = Server.CreateObject("Kestrune.Upload")
upload.ID = Request.QueryString("id")
upload.Save folder
Response.Write "files=" & upload.Files.Count & " bytes=" & upload.Files(1).ContentLength
%>
