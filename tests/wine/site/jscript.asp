<%@ Language="JScript" %>
<% Response.Write("never") %>
