* STOCK.UPDATE - posts the day's movements to the stock file
* Written for the converter's corpus.
!
REM Keep the totals per warehouse
   EQU AM TO CHAR(254), VM TO CHAR(253)
   PROMPT ''
   GOSUB OPEN.FILES
   GOSUB INIT_TOTALS
   DONE = 0
   LOOP
      READNEXT MOVE.ID ELSE DONE = 1
   UNTIL DONE DO
      GOSUB POST.MOVE
   REPEAT
   GOSUB PRINT.TOTALS
   STOP
*
OPEN.FILES:
   OPEN 'STOCK' TO F.STOCK ELSE
      CRT 'Cannot open STOCK'
      STOP
   END
   OPEN 'MOVES' TO F.MOVES THEN GOTIT = TRUE ELSE
      CRT 'Cannot open MOVES'
      STOP
   END
   SELECT F.MOVES
   RETURN
*
INIT_TOTALS: TOTAL.IN = 0 ; TOTAL.OUT = 0
   LNO = 0 ;* lines posted
   RETURN
*
POST.MOVE:
   READ MOVE FROM F.MOVES, MOVE.ID ELSE RETURN
   ITEM = MOVE<1>
   QTY = MOVE<2>
   IF QTY GE 0 THEN
      TOTAL.IN += QTY
   END ELSE
      TOTAL.OUT -= QTY
   END
RETRY.LOCK:
   READU STOCK.REC FROM F.STOCK, ITEM LOCKED
      CRT 'Item ':ITEM:' is locked, waiting'
      SLEEP 1
      GOTO RETRY.LOCK
   END THEN
      STOCK.REC<1> += QTY
   END ELSE
      STOCK.REC = ''
      STOCK.REC<1> = QTY
   END
   WRITE STOCK.REC ON F.STOCK, ITEM
   LNO += 1
   IF MOVE<3>[1,1] EQ 'X' THEN CRT 'Cancelled move ':MOVE.ID ; REM flagged
   RETURN
*
PRINT.TOTALS:
   CRT 'Moves posted: ':LNO
   CRT 'In  : ':TOTAL.IN 'R#10'
   CRT 'Out : ':TOTAL.OUT 'R#10'
   IF TOTAL.IN - TOTAL.OUT LT 0 THEN
      CRT 'More out than in'
   END
   RETURN
END
