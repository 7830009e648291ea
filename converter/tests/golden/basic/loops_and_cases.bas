* Loops of every kind, CASE blocks and EXIT
   I = 0
   LOOP
      I = I + 1
   UNTIL I > 10 DO
      CRT I:
   REPEAT
   LOOP WHILE READNEXT ID DO
      IF ID = '' THEN EXIT
   REPEAT
   FOR J = 1 TO 10 UNTIL DONE
      IF J = 5 THEN DONE = TRUE
   NEXT J
   FOR K = 10 TO 100 STEP 10 WHILE K # LIMIT
      FOR L = 1 TO 3
         CRT K, L
      NEXT L
   NEXT K
   FOR M = 1 TO 5
      IF M = 2 THEN EXIT
   NEXT M
   BEGIN CASE
      CASE CODE = 'A'
         CRT 'first'
      CASE CODE = 'B' OR CODE = 'C'
         CRT 'second'
      CASE 1
         CRT 'other'
   END CASE
   LOOP
      WHILE MORE DO
      MORE = FALSE
   REPEAT
   LOOP UNTIL DONE.ALL DO REPEAT
   IF DONE THEN
      CRT 'done'
   END ELSE CRT 'not yet'
END
