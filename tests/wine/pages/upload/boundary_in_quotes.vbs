' Content-Type: multipart/form-data; x="a boundary=AAA b"; boundary=BBB. The boundary is the
' parameter named boundary (BBB), as every other reader of the header sees it; what stands inside
' the quoted value of x is no parameter, so the part it would delimit is no field of its own.
Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
up.Save CreateObject("Scripting.FileSystemObject").GetSpecialFolder(2).Path
Response.Write "form=" & up.Form.Count & " files=" & up.Files.Count & vbCrLf
For Each t In up.Form
  Response.Write t.FieldName & " (" & t.Length & " characters)" & vbCrLf
Next
Response.Write "smuggled is Null: " & IsNull(up.Form("smuggled")) & vbCrLf
