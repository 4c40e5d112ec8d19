' A checkbox group ("colour"), a multiple select ("size") and a file input with `multiple`
' ("more"): every value and every file arrives. Items of one name stand together, in posting
' order; the name alone finds the first.
Set fso = CreateObject("Scripting.FileSystemObject")
dir = fso.GetSpecialFolder(2).Path & "\" & fso.GetTempName()
fso.CreateFolder dir

Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
up.ID = "repeated-names"
up.Save dir
Response.Write "form=" & up.Form.Count & " files=" & up.Files.Count & " temp=" & fso.GetFolder(dir).Files.Count & vbCrLf

For i = 1 To up.Form.Count
  Response.Write "Form(" & i & "): " & up.Form(i).FieldName & "=" & up.Form(i).Value & vbCrLf
Next
Response.Write "Form(""colour"") is the first: " & up.Form("colour") & vbCrLf

' Every value of the checkbox group, as a page collects them.
colours = ""
For Each t In up.Form
  If t.FieldName = "colour" Then colours = colours & t.Value & " "
Next
Response.Write "colours: " & colours & vbCrLf

' Every file of the multiple input, each stored under its own name.
For Each f In up.Files
  If f.FieldName = "more" Then
    f.SaveAs dir & "\" & f.SafeFileName
    Response.Write "stored " & f.SafeFileName & ": " & fso.GetFile(dir & "\" & f.SafeFileName).Size & " bytes" & vbCrLf
  End If
Next

Set p = CreateObject("Kestrune.Progress")
p.ID = "repeated-names"
Response.Write "files done: " & p.UploadedFilesCount & vbCrLf

Set up = Nothing
Set f = Nothing
Set t = Nothing
Response.Write "left in the directory: " & fso.GetFolder(dir).Files.Count & vbCrLf
fso.DeleteFolder dir
