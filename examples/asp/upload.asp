<%@ Language="VBScript" CodePage=65001 EnableSessionState=False %>
<%
' Receives the form that index.asp posts to upload.asp?id=ID, keeps each allowed file under its
' safe name (a clash gets a numbered name, nothing is overwritten) and lists Files and Form, with
' the size of each file whose bytes are an image (IsImage comes from the bytes, not the name).
' Without session state (the directive above): requests of one session run one at a time, so a
' page with it would hold the browser's session for the whole upload, and the visitor's other
' pages of the site would wait for it. A page that needs the session must keep it, and that wait.
Option Explicit

' Where files go: TEMP_FOLDER for Save's temporary files, SAVED_FOLDER for the files kept. Empty
' means the default: on IIS a folder Kestrune in the worker process's temporary folder, outside the
' site, so that nothing uploaded can be downloaded or run from it; under the development server
' (aspserve) the folder data of this site, to look at. On a real server choose two folders outside
' the site, on one volume (SaveAs then moves the file instead of copying it), that the identity
' running the page may write (see the guide).
Const TEMP_FOLDER = ""
Const SAVED_FOLDER = ""
' Extensions that may be stored, between bars, lower case.
Const ALLOWED_EXTENSIONS = "|txt|csv|pdf|png|jpg|jpeg|gif|zip|bin|dat|doc|docx|xls|xlsx|"
' Of those, the ones stored only when the file's bytes are an image (IsImage).
Const IMAGE_EXTENSIONS = "|png|jpg|jpeg|gif|"
' What one request may hold; a request over a limit is rejected before more of it is read, and
' nothing of it is kept. IIS's own request limits apply first (see the guide).
Const MAX_TOTAL_BYTES = 524288000 ' 500 MiB in all
Const MAX_FILE_BYTES = 209715200  ' 200 MiB per file
Const MAX_FILES = 20
Const MAX_FIELDS = 50

Response.ContentType = "text/html"
Response.Charset = "utf-8"
' A large upload can outlast the default script timeout (90 s): Save itself is not stopped, but
' the page would be, right after it, and the files with it.
Server.ScriptTimeout = 3600

Dim fso, tempDir, savedDir
Set fso = CreateObject("Scripting.FileSystemObject")
tempDir = EnsureFolder(FolderOr(TEMP_FOLDER, "temp"))
savedDir = EnsureFolder(FolderOr(SAVED_FOLDER, "saved"))

' The configured folder, or the default one called name when none is configured.
Function FolderOr(configured, name)
  If configured <> "" Then
    FolderOr = configured
  ElseIf InStr(Request.ServerVariables("SERVER_SOFTWARE"), "Microsoft-IIS") = 1 Then
    FolderOr = fso.GetSpecialFolder(2) & "\Kestrune\" & name
  Else
    FolderOr = Server.MapPath("data/" & name)
  End If
End Function

' Makes the folder (and its parent) when missing and returns its path; when it cannot, says so
' and ends the page.
Function EnsureFolder(path)
  Dim parent
  parent = fso.GetParentFolderName(path)
  On Error Resume Next
  If Not fso.FolderExists(parent) Then fso.CreateFolder parent
  If Not fso.FolderExists(path) Then fso.CreateFolder path
  If Err.Number <> 0 Or Not fso.FolderExists(path) Then
    Response.Write "<p class=""error"" id=""save-error"">The folder " & Server.HTMLEncode(path) & _
      " cannot be created (" & Server.HTMLEncode(Err.Description) & "): create it and let the identity " & _
      "that runs this page write there, or set TEMP_FOLDER and SAVED_FOLDER in upload.asp.</p>"
    Response.End
  End If
  On Error GoTo 0
  EnsureFolder = path
End Function

Function HasExtension(name, list)
  Dim dot
  dot = InStrRev(name, ".")
  HasExtension = False
  If dot > 1 Then HasExtension = InStr(list, "|" & LCase(Mid(name, dot + 1)) & "|") > 0
End Function

Function IsAllowed(file)
  IsAllowed = HasExtension(file.SafeFileName, ALLOWED_EXTENSIONS)
  If IsAllowed And HasExtension(file.SafeFileName, IMAGE_EXTENSIONS) Then IsAllowed = file.IsImage
End Function

' Stores file under name in savedDir, or under "base (n).ext" when that name is taken. SaveAs
' without overwriting fails on a name another request took meanwhile, so the next one is tried.
Function StoreFile(file, name)
  Dim dot, base, ext, candidate, n
  dot = InStrRev(name, ".")
  base = Left(name, dot - 1)
  ext = Mid(name, dot)
  candidate = name
  StoreFile = ""
  For n = 1 To 1000
    If Not fso.FileExists(savedDir & "\" & candidate) Then
      On Error Resume Next
      file.SaveAs savedDir & "\" & candidate, False
      If Err.Number = 0 Then
        On Error GoTo 0
        StoreFile = candidate
        Exit Function
      End If
      On Error GoTo 0
    End If
    candidate = base & " (" & n & ")" & ext
  Next
End Function

Dim upload, file, field, stored, saveError, saveErrorText
Set upload = Server.CreateObject("Kestrune.Upload")
upload.CodePage = 65001
upload.ID = Request.QueryString("id")
upload.MaxTotalBytes = MAX_TOTAL_BYTES
upload.MaxFileBytes = MAX_FILE_BYTES
upload.MaxFiles = MAX_FILES
upload.MaxFields = MAX_FIELDS
On Error Resume Next
upload.Save tempDir
saveError = Err.Number
saveErrorText = Err.Description
On Error GoTo 0

' Uploads received since the site started, shared by every visitor's pages. Lock keeps two pages
' from reading the same count and both storing it plus one.
Dim received
If saveError = 0 Then
  Application.Lock
  Application.Contents("uploads received") = Application.Contents("uploads received") + 1
  received = Application.Contents("uploads received")
  Application.UnLock
End If
%><!DOCTYPE html>
<html lang="en">
<head><meta charset="utf-8"><title>Upload received</title><link rel="stylesheet" href="site.css"></head>
<body>
<div id="upload-result">
<% If saveError <> 0 Then %>
<p class="error" id="save-error">The upload failed (error <%= Hex(saveError) %>): <%= Server.HTMLEncode(saveErrorText) %></p>
<% Else %>
<p id="received">Upload <%= received %> since the site started.</p>
<h2>Files</h2>
<table id="files">
<tr><th>Field</th><th>File name</th><th>Stored as</th><th>Bytes</th><th>Type</th><th>Image</th></tr>
<% For Each file In upload.Files
     If file.SafeFileName <> "" Then
       If IsAllowed(file) Then stored = StoreFile(file, file.SafeFileName) Else stored = "" %>
<tr class="file"><td class="field"><%= Server.HTMLEncode(file.FieldName) %></td><td class="name"><%= Server.HTMLEncode(file.SafeFileName) %></td><td class="stored"><% If stored = "" Then %><em>not stored</em><% Else %><%= Server.HTMLEncode(stored) %><% End If %></td><td class="size"><%= file.ContentLength %></td><td class="type"><%= Server.HTMLEncode(file.ContentType) %></td><td class="image"><% If file.IsImage Then %><%= file.ImageWidth %> x <%= file.ImageHeight %><% Else %>no<% End If %></td></tr>
<%   End If
   Next %>
</table>
<h2>Fields</h2>
<table id="fields">
<tr><th>Name</th><th>Value</th></tr>
<% For Each field In upload.Form %>
<tr class="text-field"><td class="field"><%= Server.HTMLEncode(field.FieldName) %></td><td class="value"><pre><%= Server.HTMLEncode(field.Value) %></pre></td></tr>
<% Next %>
</table>
<% End If %>
</div>
</body>
</html>
