<%
' A loop that never ends: the script timeout stops it.
Dim n
n = 0
Do
  n = n + 1
Loop
%>
