<%@ Language="VBScript" %>
<p>before</p>
<%
Dim x
x = 1
x = x / 0
%>
<p>after</p>
