' Guess the number - a small game
' Marcos style header - 30-XII-98
   RANDOMIZE( TIME( ) )
   GAMES = 0
   WINS = 0
100
NUMBER = RND( 100 ) + 1
   TRIES = 0
   GAMES = GAMES + 1
   CRT "I have a number from 1 to 100."
200
CRT "Your guess: " , False
   IInput GUESS
   IF GUESS = "" THEN GOTO 900
   IF NOT ( NUM( GUESS ) ) THEN
      CRT "Numbers only please"
      GOTO 200
   END If
   TRIES = TRIES + 1
'---- was a databasic BEGIN CASE ---
      If GUESS < NUMBER Then
         CRT "Higher"
         GOTO 200
      ElseIf GUESS > NUMBER Then
         CRT "Lower"
         GOTO 200
      Else
         CRT "Right in " & TRIES & " tries"
         WINS = WINS + 1
   End If
   IF TRIES <= 5 THEN CRT "Well done" ELSE CRT "Keep practising"
   IF REM( GAMES , 5 ) = 0 THEN
      GOSUB 500
   END If
300
CRT "Again (Y/N)? " , False
   IInput ANS
   ANS = Mid( ANS , 1 , 1 )
   IF ANS = "Y" OR ANS = "y" THEN GOTO 100
   GOTO 900
'
500 '-- label, was * five games more
   CRT "Games: " & GAMES & "  wins: " & WINS
   IF WINS >= GAMES / 2 THEN
      CRT "You win more than you lose"
   Else 
     CRT "Keep going"
     End If
   RETURN
'
900
CRT "Bye"
   SStop
Exit Sub  ' === END ===
End Sub
