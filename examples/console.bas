' Talks with the user through the window's console ("Stay connected" on).
For i = 1 To 3
  Print "Counting "; i
Next i
Input "Your name"; n$
Print "Hello, "; n$; "! Type BASIC commands here."
