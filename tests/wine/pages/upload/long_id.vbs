' Upload IDs of at most 1024 characters: a longer one is refused (E_INVALIDARG, 5) before anything
' is registered, and the collections stay empty; one of 1024 characters works.
Set fso = CreateObject("Scripting.FileSystemObject")
temp = fso.GetSpecialFolder(2).Path
On Error Resume Next

Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
up.ID = String(1025, "x")
up.Save temp
Response.Write "ID of 1025: " & Err.Number & " known=" & up.IsUploadInitialized(String(1025, "x")) & _
  " form=" & up.Form.Count & vbCrLf
Err.Clear
up.Save temp
Response.Write "Save again: " & Hex(Err.Number) & vbCrLf
Err.Clear

Set ok = CreateObject("Kestrune.Upload")
ok.OnStartPage ScriptingContext
ok.ID = String(1024, "x")
ok.Save temp
Response.Write "ID of 1024: " & Err.Number & " known=" & ok.IsUploadInitialized(String(1024, "x")) & _
  " form=" & ok.Form.Count & vbCrLf
