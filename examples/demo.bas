'KELDAN!!! editor marker: removed before the upload
' A small demonstration program for the simulated board.
'echo Sending the demo program...
total = 0
For i = 1 To 5
  total = total + i        ' a running sum
  Print "Line"; i; " total "; total
Next i
Print "Sum of 1 to 5 is "; total
Print "Done: it's working"  ' the apostrophe in the string stays
End
