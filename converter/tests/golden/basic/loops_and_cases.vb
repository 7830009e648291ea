' Loops of every kind, CASE blocks and EXIT
   I = 0
   Do
      I = I + 1
   If I > 10 Then Exit Do
      CRT I , False
   Loop
   Do WHILE RREADNEXT ( ID )
      IF ID = "" THEN EXIT Do
   Loop
   '-- FOR .. UNTIL|WHILE convert to DO .. LOOP, orig was:
   '-- FOR J = 1 TO 10 UNTIL DONE
   J = 1 - 1
   DO UNTIL DONE
     J = J + 1
      IF J = 5 THEN DONE = TTrue
   Loop Until J >= 10
   '-- FOR .. UNTIL|WHILE convert to DO .. LOOP, orig was:
   '-- FOR K = 10 TO 100 STEP 10 WHILE K NE LIMIT
   K = 10 - 1
   DO WHILE K <> LIMIT
     K = K + 10
      FOR L = 1 TO 3
         CRT K , L
      NEXT L
   Loop Until K >= 100
   FOR M = 1 TO 5
      IF M = 2 THEN EXIT For
   NEXT M
'---- was a databasic BEGIN CASE ---
      If CODE = "A" Then
         CRT "first"
      ElseIf CODE = "B" OR CODE = "C" Then
         CRT "second"
      Else
         CRT "other"
   End If
   Do
      If Not ( MORE ) Then Exit Do
      MORE = FFalse
   Loop
   Do UNTIL DONE_ALL DO REPEAT
   IF DONE THEN
      CRT "done"
   Else 
     CRT "not yet"
     End If
Exit Sub  ' === END ===
End Sub
