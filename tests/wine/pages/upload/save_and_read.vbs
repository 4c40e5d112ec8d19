' A page as its author writes it: Save, walk Files and Form, read fields by name and by number,
' keep one file with SaveAs; the files not kept disappear with the objects.
Set fso = CreateObject("Scripting.FileSystemObject")
dir = fso.GetSpecialFolder(2).Path & "\" & fso.GetTempName()
fso.CreateFolder dir

Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
up.Save dir
Response.Write "files=" & up.Files.Count & " form=" & up.Form.Count & " temp=" & fso.GetFolder(dir).Files.Count & vbCrLf

For Each f In up.Files
  Response.Write f.FieldName & ": [" & f.ClientFilePath & "] " & f.ContentType & " " & f.ContentLength & _
    " ext=" & f.Extension & " safe=" & f.SafeFileName & " image=" & f.IsImage & " " & f.ImageWidth & "x" & f.ImageHeight & vbCrLf
Next
For Each t In up.Form
  Response.Write t.FieldName & "=[" & t.Value & "] length=" & t.Length & vbCrLf
Next

Response.Write "title as a string: " & up.Form("title") & vbCrLf
Response.Write "by name: " & up.Files("photo").SafeFileName & " " & up.Files.Item("notes").SafeFileName & vbCrLf
Response.Write "by number: " & up.Files(1).FieldName & " " & up.Form.Item(2).FieldName & vbCrLf
For i = 1 To up.Form.Count
  Response.Write "loop " & i & ": " & up.Form(i).FieldName & vbCrLf
Next
Response.Write "unknown name is Null: " & IsNull(up.Form("nope")) & vbCrLf
Response.Write "names are case-sensitive: " & IsNull(up.Form("TITLE")) & vbCrLf

target = dir & "\kept-" & up.Files(1).SafeFileName
up.Files(1).SaveAs target
Response.Write "SaveAs follows the file: " & (up.Files(1).TempFileName = target) & " " & fso.FileExists(target) & vbCrLf
On Error Resume Next
up.Files(2).SaveAs target
Response.Write "SaveAs onto an existing file: " & Hex(Err.Number) & vbCrLf
Err.Clear
up.Files(2).CopyTo target, True
Response.Write "CopyTo with overwrite: " & Err.Number & " " & fso.GetFile(target).Size & vbCrLf
On Error GoTo 0

Set up = Nothing
Set f = Nothing
Set t = Nothing
Response.Write "left in the directory: " & fso.GetFolder(dir).Files.Count & vbCrLf
fso.DeleteFolder dir
