<% Response.Write Response.CodePage %>
