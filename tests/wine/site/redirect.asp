<% Response.Redirect "echo.asp?q=moved" %>
