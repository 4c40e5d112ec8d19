<%@ Language="VBScript" CodePage=65001 %>
<%
' A minimal upload page: receives the form, keeps every file under its safe name, lists the fields.
Option Explicit
Dim up, f, t
Set up = Server.CreateObject("Kestrune.Upload")
up.CodePage = 65001
up.Save "C:\Uploads\Temp"
For Each f In up.Files
  f.SaveAs "C:\Uploads\" & f.SafeFileName, True
  Response.Write Server.HTMLEncode(f.FieldName & ": " & f.SafeFileName & " (" & f.ContentLength & " bytes)") & "<br>"
Next
For Each t In up.Form
  Response.Write Server.HTMLEncode(t.FieldName & " = " & t.Value) & "<br>"
Next
%>
