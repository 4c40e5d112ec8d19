<%
' Loops that never end under On Error Resume Next, which swallows the timeout's first error:
' the page still leaves its loops and answers with the timeout.
On Error Resume Next
Dim n, i
n = 0
Do While True
  For i = 1 To 1000000000 : n = n + 1 : Next
Loop
Response.Write "after the loops"
%>
