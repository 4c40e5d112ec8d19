' The page objects over a captured request: what the Upload object reads before it parses.
Response.Write "TotalBytes=" & Request.TotalBytes & vbCrLf
Response.Write "CONTENT_TYPE=" & Request.ServerVariables("CONTENT_TYPE") & vbCrLf
Response.Write "REQUEST_METHOD=" & Request.ServerVariables("REQUEST_METHOD") & vbCrLf
