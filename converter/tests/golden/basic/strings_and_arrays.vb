' Substrings, dynamic arrays, LOCATE, INSERT, CONVERT, MATCHES, MAT and CALL @
   DIM ITEMS( 10 ) , COPY( 10 )
   Call Mat(ITEMS, "")
   Call Mat(COPY, ITEMS)
   CALL SHOW_ALL( ITEMS() )
   PREFIX = Mid( NAME , 1 , 3 )
   LAST = Mid( NAME , LEN( NAME ) - 2 , 3 ) & "X"
   X = RReplace( X , 1 , "first" )
   X = RReplace( X , 2 , 1 , Extract( Y , 3 , 2 ) )
   Z = Extract( X , 1 , 2 , 3 )
   IF Extract( X , 2 ) = "B" THEN CRT "yes"
   IF NOT LOCATE( CODE , "IN", Extract( CODES , 1 ) , "SETTING", POS ) THEN
      CODES = INSERT( CODES , 1 , POS , 0 , CODE )
   END If
   IF LOCATE ( CODE, "IN" , CODES , 1 , "SETTING",  POS ) THEN CRT "at " & POS
   IF NOT LOCATE ( CODE, "IN" , CODES , 1 , "BY", "AL", "SETTING", POS ) THEN CRT "not found"
   AMOUNT = CConvert(AMOUNT, ".", ",") 
   TEXT = CConvert( TEXT , "ab" , "AB" )
   IF MATCHES(PHONE, "3N-4N") THEN CRT "phone"
   IF MATCHES(ZIP, "5N") THEN CRT "zip"
   CRT FMT(AMOUNT, "MD2,$")
   CRT TTag( 10 , 5 ) & "Total: " & FMT(AMOUNT, "R2#10")
   Call XCallByName(ROUTINE, A , B )
   Call XCallByName(HANDLER, )
   MSG = "It's done" :  SAY = "He said ""no""" :  PATH = "C:\TEMP\"
   WHERE = "Créteil" :  IF A <> B THEN CRT "A NE B"
   ON CHOICE GOSUB 10 , 20 , 30
   FMT(EXECUTE, "LIST CUSTOMERS")
   SLEEP 5
   Dylete F_CUST , KEY
   PPrint "Page " & PAGE :  PPrint
   IInput ANSWER
   If Not MATREAD ( ITEMS , F_CUST , KEY ) Then Call Mat(ITEMS, "")
   CALL MATWRITE ( ITEMS , F_CUST , KEY )
   X = Continue :  BBeep :  SStop
End Sub
