' STOCK.UPDATE - posts the day's movements to the stock file
' Written for the converter's corpus.
'
' Keep the totals per warehouse
   AM = Chr( 254 ) : VM = Chr( 253 )
   PROMPT ""
   GOSUB OPEN_FILES
   GOSUB INIT_TOTALS
   DONE = 0
   Do
      If Not RREADNEXT ( MOVE_ID ) Then DONE = 1
   If DONE Then Exit Do
      GOSUB POST_MOVE
   Loop
   GOSUB PRINT_TOTALS
   SStop
'
OPEN_FILES:
   If Not OOPEN ( "STOCK" , F_STOCK ) Then
      CRT "Cannot open STOCK"
      SStop
   END If
   If OOPEN ( "MOVES" , F_MOVES ) Then
   GOTIT = TTrue
   Else
      CRT "Cannot open MOVES"
      SStop
   END If
   FMT(SELECT, F_MOVES)
   RETURN
'
INIT_TOTALS:
TOTAL_IN = 0 :  TOTAL_OUT = 0
   LNO = 0  ' lines posted
   RETURN
'
POST_MOVE:
   If Not RREAD ( MOVE , F_MOVES , MOVE_ID ) Then RETURN
   ITEM = Extract( MOVE , 1 )
   QTY = Extract( MOVE , 2 )
   IF QTY >= 0 THEN
      TOTAL_IN = TOTAL_IN + QTY
   Else
      TOTAL_OUT = TOTAL_OUT - QTY
   END If
RETRY_LOCK:
   ReadFound1 = RREADU ( STOCK_REC , F_STOCK , ITEM )
   If Not ReadFound1 And Val( Mid( ErrorDetail , 2 ) ) = 920 Then
      CRT "Item " & ITEM & " is locked, waiting"
      SLEEP 1
      GOTO RETRY_LOCK
   ElseIf ReadFound1 Then
      STOCK_REC = RReplace( STOCK_REC , 1 , Extract( STOCK_REC , 1 ) + QTY )
   ElseIf Not ReadFound1 Then
      STOCK_REC = ""
      STOCK_REC = RReplace( STOCK_REC , 1 , QTY )
   END If
   CALL WWRITE ( STOCK_REC , F_STOCK , ITEM )
   LNO = LNO + 1
   IF Mid( Extract( MOVE , 3 ) , 1 , 1 ) = "X" THEN CRT "Cancelled move " & MOVE_ID   ' flagged
   RETURN
'
PRINT_TOTALS:
   CRT "Moves posted: " & LNO
   CRT "In  : " & FMT(TOTAL_IN, "R#10")
   CRT "Out : " & FMT(TOTAL_OUT, "R#10")
   IF TOTAL_IN - TOTAL_OUT < 0 THEN
      CRT "More out than in"
   END If
   RETURN
Exit Sub  ' === END ===
End Sub
