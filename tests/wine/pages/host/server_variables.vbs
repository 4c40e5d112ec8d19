' Server variables as a page sees them: default values, case, unknown names, For Each.
Response.Write "total=" & Request.TotalBytes & vbCrLf
Response.Write "method=" & Request.ServerVariables("REQUEST_METHOD") & vbCrLf
Response.Write "type=" & Request.ServerVariables("HTTP_Content_Type") & vbCrLf
Set v = Request.ServerVariables("content_type")
Response.Write v
Response.Write vbCrLf
Response.Write "unknown=[" & Request.ServerVariables("NO_SUCH_VARIABLE") & "]" & vbCrLf
Response.Write "accept=" & Request.ServerVariables("HTTP_ACCEPT") & " count=" & Request.ServerVariables("HTTP_ACCEPT").Count & vbCrLf
Set vars = Request.ServerVariables
Response.Write "first=" & vars.Key(1) & " item1=" & vars(1) & vbCrLf
For Each name In Request.ServerVariables
    If Left(name, 5) = "HTTP_" Then Response.Write name & "=" & Request.ServerVariables(name) & vbCrLf
Next
