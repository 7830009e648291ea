X = 1
IF X THEN
   CRT "one"
END If
  
Y = X & "!"
End Sub
