' BinaryRead in pieces over a body larger than 8192 bytes: the count variable receives the
' number read, the data is a byte array, and 0 marks the end.
total = 0
Do
    n = 8192
    data = Request.BinaryRead(n)
    Response.Write "got " & n & " type " & VarType(n) & " data " & VarType(data) & vbCrLf
    If n = 0 Then Exit Do
    total = total + n
Loop
Response.Write "total " & total & " of " & Request.TotalBytes & vbCrLf
data = Request.BinaryRead(100)
Response.Write "after the end " & VarType(data) & vbCrLf
On Error Resume Next
' Form after BinaryRead: the body is gone, so the page host refuses it with E_FAIL, as ASP does.
x = Request.Form("a")
Response.Write "Form " & Err.Number & vbCrLf
Err.Clear
data = Request.BinaryRead(-1)
Response.Write "negative " & Err.Number & vbCrLf
