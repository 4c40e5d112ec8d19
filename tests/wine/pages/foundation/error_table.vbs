' The guide's table of what a failed call gives a script, made by trying each case: every line this
' page writes is a row of that table (tests/docs/guide_test.py checks that they agree). The form
' request (not multipart) tries Save's refusals; the upload request, everything after a Save.
Set fso = CreateObject("Scripting.FileSystemObject")
dir = fso.GetSpecialFolder(2).Path & "\" & fso.GetTempName()
fso.CreateFolder dir
On Error Resume Next

' One row: Err.Number as a page prints it, and the case.
Sub Row(what)
  If Err.Number < 0 Then shown = "&H" & Hex(Err.Number) Else shown = CStr(Err.Number)
  Response.Write "| `" & shown & "` | " & what & " |" & vbCrLf
  Err.Clear
End Sub

Set up = CreateObject("Kestrune.Upload")
n = up.Files.Count
Row "`Files` or `Form` read before `Save` has run"
up.Sav dir
Row "a misspelt member (`up.Sav`)"
up.CodePage = "many"
Row "an argument of the wrong type (`up.CodePage = ""many""`)"
up.MaxFiles = -1
Row "a limit set to a negative number"
up.Save dir
Row "`Save` of an object that is not bound to a page (made with `CreateObject`, not `Server.CreateObject`)"
up.OnStartPage ScriptingContext
up.Save dir
Row "`Save` called a second time"

If Request.ServerVariables("CONTENT_TYPE") = "application/x-www-form-urlencoded" Then
  Set up = CreateObject("Kestrune.Upload")
  up.OnStartPage ScriptingContext
  up.Save dir
  Row "`Save` of a request that is not `multipart/form-data` (or has no usable boundary parameter)"
Else
  Set up = CreateObject("Kestrune.Upload")
  up.OnStartPage ScriptingContext
  up.ID = String(1025, "i")
  up.Save dir
  Row "`Save` with an `ID` longer than 1024 characters"

  Set up = CreateObject("Kestrune.Upload")
  up.OnStartPage ScriptingContext
  up.Save dir
  Set f = up.Files(up.Files.Count + 1)
  Row "`Files(i)` or `Form(i)` with i below 1 or above `Count`"
  Set f = up.Files(1.5)
  Row "`Files(x)` with x neither a whole number nor a name"
  missing = up.Files("no such field")
  If IsNull(missing) Then Row "no error: `Files(""name"")` or `Form(""name"")` of a name that was not posted gives `Null`"
  up.Files(1).CopyTo dir & "\kept.txt"
  up.Files(1).CopyTo dir & "\kept.txt"
  Row "`CopyTo` or `SaveAs` onto a file that exists, without `overwrite`"
  up.Files(1).SaveAs dir & "\missing\folder.txt"
  Row "`CopyTo` or `SaveAs` into a folder that does not exist, or onto a device name (`nul.txt`)"

  Set p = CreateObject("Kestrune.Progress")
  n = p.UploadedBytes
  Row "a `Progress` figure read before `ID` is set"
  p.ID = "no upload has this ID"
  p.CancelUpload
  Row "`CancelUpload` of an ID that no upload has (or had in the last 10 minutes)"
End If

Set up = Nothing
Set f = Nothing
fso.DeleteFolder dir
