<%@ Language="VBScript" CodePage=65001 %>
<!--#include file="inc/helpers.inc"-->
<%
' Shows what a page sees of its request, one "name=value" line each.
Response.ContentType = "text/plain"
Line "method", Request.ServerVariables("REQUEST_METHOD")
Line "script", Request.ServerVariables("SCRIPT_NAME")
Line "port", Request.ServerVariables("SERVER_PORT")
Line "remote", Request.ServerVariables("REMOTE_ADDR")
Line "agent", Request.ServerVariables("HTTP_USER_AGENT")
Line "q", Request.QueryString("q")
Line "item", Request.QueryString.Item("q")
Line "total", Request.TotalBytes
If Request.QueryString("form") = "1" Then Line "name", Request.Form("name")
Line "mapped", Server.MapPath("/inc/helpers.inc")
Line "html", Server.HTMLEncode("<b>&""")
Line "url", Server.URLEncode("a b&é")
Line "codepage", Response.CodePage
%>
