' Runs Save over a request of the hostile catalogue and prints what the page sees, in the form
' hostile_request.exe prints the expectation: Save's error, the counts, the text length, the file
' bytes and the files left in the temporary folder once everything is released.
Set fso = CreateObject("Scripting.FileSystemObject")
dir = fso.GetSpecialFolder(2).Path & "\" & fso.GetTempName()
fso.CreateFolder dir

Set up = CreateObject("Kestrune.Upload")
up.OnStartPage ScriptingContext
' The recipe's limits, as hostile_request.exe put them in the query string.
If Request.QueryString("MaxTotalBytes") <> "" Then up.MaxTotalBytes = CLng(Request.QueryString("MaxTotalBytes"))
If Request.QueryString("MaxFileBytes") <> "" Then up.MaxFileBytes = CLng(Request.QueryString("MaxFileBytes"))
If Request.QueryString("MaxFiles") <> "" Then up.MaxFiles = CLng(Request.QueryString("MaxFiles"))
If Request.QueryString("MaxFields") <> "" Then up.MaxFields = CLng(Request.QueryString("MaxFields"))
If Request.QueryString("MaxFieldBytes") <> "" Then up.MaxFieldBytes = CLng(Request.QueryString("MaxFieldBytes"))
If Request.QueryString("MaxParts") <> "" Then up.MaxParts = CLng(Request.QueryString("MaxParts"))
On Error Resume Next
up.Save dir
saveError = Err.Number
On Error Goto 0

Set form = up.Form
Set files = up.Files
chars = 0
For i = 1 To form.Count
    chars = chars + form(i).Length
Next
bytes = 0
For i = 1 To files.Count
    bytes = bytes + files(i).ContentLength
Next
line = "save=" & Hex(saveError) & " form=" & form.Count & " files=" & files.Count & _
       " text-chars=" & chars & " file-bytes=" & bytes
Set form = Nothing
Set files = Nothing
up.OnEndPage
Set up = Nothing
Response.Write line & " left=" & fso.GetFolder(dir).Files.Count & vbLf
fso.DeleteFolder dir
