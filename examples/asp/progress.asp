<%@ Language="VBScript" CodePage=65001 EnableSessionState=False %>
<%
' The progress of the upload whose ID is in the query string, as JSON. Without session state
' (the directive above), so that it answers while an upload of the same browser session runs:
' requests of one session otherwise take turns.
Option Explicit
Response.ContentType = "application/json"
Response.Charset = "utf-8"

Function JsonString(text)
  Dim s, i, c
  s = ""
  For i = 1 To Len(text)
    c = Mid(text, i, 1)
    If c = """" Then
      s = s & "\"""
    ElseIf c = "\" Then
      s = s & "\\"
    ElseIf c < " " Then
      s = s & "\u" & Right("000" & Hex(Asc(c)), 4)
    Else
      s = s & c
    End If
  Next
  JsonString = """" & s & """"
End Function

' A Boolean as JSON writes it: CStr would give the server's language ("Wahr", "Vrai").
Function JsonBool(value)
  If value Then JsonBool = "true" Else JsonBool = "false"
End Function

' A number as JSON writes it, whatever the server's locale.
Function JsonNumber(value)
  JsonNumber = Replace(CStr(Round(CDbl(value), 3)), ",", ".")
End Function

Dim progress
Set progress = Server.CreateObject("Kestrune.Progress")
progress.ID = Request.QueryString("id")
%>{
"id": <%= JsonString(progress.ID) %>,
"status": <%= progress.UploadStatus %>,
"statusText": <%= JsonString(progress.UploadStatusString) %>,
"statusReason": <%= JsonString(progress.StatusReason) %>,
"totalBytes": <%= progress.TotalBytes %>,
"uploadedBytes": <%= progress.UploadedBytes %>,
"percentDone": <%= JsonNumber(progress.PercentDone) %>,
"bytesPerSecondAverage": <%= JsonNumber(progress.BytesPerSecondAverage) %>,
"bytesPerSecondCurrent": <%= JsonNumber(progress.BytesPerSecondCurrent) %>,
"secondsDone": <%= JsonNumber(progress.SecondsDone) %>,
"secondsLeftAverage": <%= JsonNumber(progress.SecondsLeftAverage) %>,
"secondsLeftCurrent": <%= JsonNumber(progress.SecondsLeftCurrent) %>,
"currentFileName": <%= JsonString(progress.CurrentFileName & "") %>,
"uploadedFilesCount": <%= progress.UploadedFilesCount %>,
"uploadComplete": <%= JsonBool(progress.UploadComplete) %>,
"uploadCancelled": <%= JsonBool(progress.UploadCancelled) %>
}
