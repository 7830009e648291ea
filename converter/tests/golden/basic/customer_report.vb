SUB CUSTOMER_REPORT( START_KEY , TOTAL )
' Lists the customers from a start key, with their balances.
AM = Chr( 254 ) : VM = Chr( 253 )
   If Not OOPEN ( "CUSTOMERS" , F_CUST ) Then
      CRT "Cannot open CUSTOMERS"
      RETURN
   END If
   If OOPEN ( "DICT" , "CUSTOMERS" , F_DICT ) Then CRT "Dictionary open"
   TOTAL = 0 :  COUNT = 0
   GOSUB 100
   CRT "Customers: " & FMT(COUNT, "R#6")
   RETURN
'
100 '-- label, was * read one customer
   If Not RREAD ( REC , F_CUST , START_KEY ) Then
      CRT "No customer " & START_KEY
      RETURN
   END If
   NAME = Extract( REC , 1 )
   BAL = Extract( REC , 5 , 1 )
   IF BAL > 0 THEN
      TOTAL = TOTAL + BAL
      COUNT = COUNT + 1
   Else
      CRT FMT(NAME, "L#20") & " has no balance"
   END If
   REC = RReplace( REC , 6 , DATE( ) )
   CALL WWRITE ( REC , F_CUST , START_KEY )
   If RREADV ( PHONE , F_CUST , START_KEY , 7 ) Then CRT PHONE ELSE CRT "no phone"
   If Not RREADU ( LOCKREC , F_CUST , "LOCK" ) Then LOCKREC = ""
   CALL WWRITEU ( LOCKREC , F_CUST , "LOCK" )
   RELEASE F_CUST , "LOCK"
   GOTO 200
L150_5:
CRT "never"
200
CRT "done" , False
   IF TOTAL = 0 THEN GOTO L150_5
   RETURN
Exit Sub  ' === END ===
End Sub
