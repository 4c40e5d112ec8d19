<%
Response.Status = "202 Accepted"
Response.AddHeader "X-Test", "yes"
Response.Write "one"
Response.End
Response.Write "two"
%>
