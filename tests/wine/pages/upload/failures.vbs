' What a page sees when things go wrong: HRESULTs through Err.Number, and empty collections.
Set fso = CreateObject("Scripting.FileSystemObject")
dir = fso.GetSpecialFolder(2).Path & "\" & fso.GetTempName()
fso.CreateFolder dir
On Error Resume Next

Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
n = up.Files.Count
Response.Write "Files before Save: " & Hex(Err.Number) & vbCrLf
Err.Clear
n = up.Form.Count
Response.Write "Form before Save: " & Hex(Err.Number) & vbCrLf
Err.Clear

' The request is a URL-encoded form, not multipart.
up.Save dir
Response.Write "Save: " & Hex(Err.Number) & vbCrLf
Err.Clear
Response.Write "after a failed Save: files=" & up.Files.Count & " form=" & up.Form.Count & " err=" & Err.Number & vbCrLf
Set x = up.Files(0)
Response.Write "Files(0): " & Err.Number & vbCrLf
Err.Clear
Set x = up.Form(1)
Response.Write "Form(1) of an empty collection: " & Err.Number & vbCrLf
Err.Clear
Set x = up.Files(1.0)
Response.Write "Files(1.0): " & Err.Number & vbCrLf
Err.Clear
Response.Write "Form(""x"") is Null: " & IsNull(up.Form("x")) & " err=" & Err.Number & vbCrLf
up.Save dir
Response.Write "second Save: " & Hex(Err.Number) & vbCrLf
Err.Clear

Set other = CreateObject("Kestrune.Upload")
other.DetectCharRefs = 7
Response.Write "DetectCharRefs = 7: " & Err.Number & " reads " & other.DetectCharRefs & vbCrLf
other.Save dir
Response.Write "Save without OnStartPage: " & Hex(Err.Number) & vbCrLf
Err.Clear
other.OnEndPage
other.OnEndPage
Response.Write "OnEndPage twice: " & Err.Number & vbCrLf
Response.Write "left in the directory: " & fso.GetFolder(dir).Files.Count & vbCrLf
fso.DeleteFolder dir
