REM Guess the number - a small game
REM Marcos style header - 30-XII-98
   RANDOMIZE (TIME())
   GAMES = 0
   WINS = 0
100 NUMBER = RND(100) + 1
   TRIES = 0
   GAMES += 1
   CRT 'I have a number from 1 to 100.'
200 CRT 'Your guess: ':
   INPUT GUESS
   IF GUESS EQ '' THEN GOTO 900
   IF NOT(NUM(GUESS)) THEN
      CRT 'Numbers only please'
      GOTO 200
   END
   TRIES += 1
   BEGIN CASE
      CASE GUESS LT NUMBER
         CRT 'Higher'
         GOTO 200
      CASE GUESS GT NUMBER
         CRT 'Lower'
         GOTO 200
      CASE 1
         CRT 'Right in ':TRIES:' tries'
         WINS += 1
   END CASE
   IF TRIES LE 5 THEN CRT 'Well done' ELSE CRT 'Keep practising'
   IF REM(GAMES, 5) EQ 0 THEN
      GOSUB 500
   END
300 CRT 'Again (Y/N)? ':
   INPUT ANS
   ANS = ANS[1,1]
   IF ANS = 'Y' OR ANS = 'y' THEN GOTO 100
   GOTO 900
*
500 * five games more
   CRT 'Games: ':GAMES:'  wins: ':WINS
   IF WINS GE GAMES / 2 THEN
      CRT 'You win more than you lose'
   END ELSE CRT 'Keep going'
   RETURN
*
900 CRT 'Bye'
   STOP
END
