' A quoted boundary, as HTTP client libraries send it, is unquoted: the fields arrive.
Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
up.Save CreateObject("Scripting.FileSystemObject").GetSpecialFolder(2).Path
Response.Write "files=" & up.Files.Count & " form=" & up.Form.Count & vbCrLf
Response.Write "note=" & up.Form("note") & " doc=" & up.Files("doc").ContentLength & vbCrLf
