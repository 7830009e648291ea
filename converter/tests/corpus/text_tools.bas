SUBROUTINE TEXT.TOOLS(ACTION, TEXT, RESULT)
*-----------------------------------------------------------
* String helpers: centre, pad, count words, reverse
*-----------------------------------------------------------
      RESULT = ''
      WIDTH = 40
      BEGIN CASE
         CASE ACTION = 'CENTRE'
            GOSUB CENTRE.TEXT
         CASE ACTION = 'WORDS'
            GOSUB COUNT_WORDS
         CASE ACTION = 'REVERSE'
            GOSUB REVERSE.TEXT
         CASE 1
            RESULT = TEXT
      END CASE
      RETURN
*
CENTRE.TEXT:
      L = LEN(TEXT)
      IF L >= WIDTH THEN
         RESULT = TEXT[1,WIDTH]
         RETURN
      END
      PAD = INT((WIDTH - L) / 2)
      RESULT = SPACE(PAD):TEXT
      RESULT := SPACE(WIDTH - LEN(RESULT))
      RETURN
*
COUNT_WORDS:
      N = 0
      IN.WORD = FALSE
      FOR I = 1 TO LEN(TEXT)
         C = TEXT[I,1]
         IF C = ' ' THEN
            IN.WORD = FALSE
         END ELSE
            IF NOT(IN.WORD) THEN N += 1 ; IN.WORD = TRUE
         END
      NEXT I
      RESULT = N
      RETURN
*
REVERSE.TEXT:
      I = LEN(TEXT)
      LOOP UNTIL I < 1 DO
         RESULT := TEXT[I,1]
         I -= 1
      REPEAT
      IF (TEXT:'')[1,1] = '"' THEN RESULT = RESULT ;* quoted text kept as is
      RETURN
   END
