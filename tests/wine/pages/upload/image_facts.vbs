' Image facts as a page sees them: read from each file's own bytes, whatever its name or declared
' type. One upload of each format, a script posted as "holiday.jpg" with image/jpeg, a PNG cut
' short, and a JPEG posted as "notes.txt" with text/plain.
Set fso = CreateObject("Scripting.FileSystemObject")
dir = fso.GetSpecialFolder(2).Path & "\" & fso.GetTempName()
fso.CreateFolder dir

Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
up.Save dir
For Each f In up.Files
  Response.Write f.FieldName & ": " & f.SafeFileName & " " & f.ContentType & " " & f.ContentLength & _
    " IsImage=" & f.IsImage & " " & f.ImageWidth & "x" & f.ImageHeight & _
    " (" & TypeName(f.IsImage) & ", " & TypeName(f.ImageWidth) & ")" & vbCrLf
Next

' A page keeps only what it checked: images, under an extension it chooses.
kept = 0
For Each f In up.Files
  If f.IsImage And f.ImageWidth <= 1000 And f.ImageHeight <= 1000 Then kept = kept + 1
Next
Response.Write "would keep " & kept & " of " & up.Files.Count & vbCrLf

Set f = Nothing
Set up = Nothing
Response.Write "left in the directory: " & fso.GetFolder(dir).Files.Count & vbCrLf
fso.DeleteFolder dir
