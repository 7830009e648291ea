SUBROUTINE ORDER.ENTRY(ORDER.ID, STATUS)
*--- Takes the lines of one order, checks stock, files the order ---
      STATUS = ''
      EQU MAX.LINES TO 20
      DIM LINE.REC(20)
      MAT LINE.REC = ''
      OPEN 'ORDERS' TO F.ORD ELSE STATUS = 'NO ORDERS' ; RETURN
      OPEN 'STOCK' TO F.STK ELSE STATUS = 'NO STOCK' ; RETURN
      READU ORD FROM F.ORD, ORDER.ID LOCKED STATUS = 'LOCKED' ; RETURN
      IF ORD<1> = '' THEN ORD<1> = DATE()
      N = 0
ASK.LINE:
      N += 1
      IF N > MAX.LINES THEN GOTO FILE.ORDER
      CRT 'Item ':N:': ':
      INPUT ITEM
      IF ITEM = '' THEN GOTO FILE.ORDER
      READV ON.HAND FROM F.STK, ITEM, 3 ELSE
         CRT 'Unknown item ':ITEM
         N -= 1
         GOTO ASK.LINE
      END
ASK.QTY: CRT 'Quantity: ':
      INPUT QTY
      IF NOT(NUM(QTY)) OR QTY <= 0 THEN GOTO ASK.QTY
      IF QTY > ON.HAND THEN CC = 1 ; CRT 'Only ':ON.HAND:' on hand' ELSE
         CC = 0
      END
      IF CC = 1 THEN CRT 'Take what is there? ': ; INPUT YN ELSE
         YN = 'Y'
      END
      IF YN[1,1] NE 'Y' THEN
         N -= 1
         GOTO ASK.LINE
      END
      IF CC EQ 1 THEN QTY = ON.HAND
      LINE.REC(N) = ITEM:@VM:QTY
      ORD<2,N> = ITEM
      ORD<3,N> = QTY
      GOTO ASK.LINE
*
FILE.ORDER:
      IF N <= 1 THEN
         RELEASE F.ORD, ORDER.ID
         STATUS = 'EMPTY'
         RETURN
      END
      ON ORD<4> GOSUB PRIORITY.A, PRIORITY.B
      WRITE ORD ON F.ORD, ORDER.ID
      STATUS = 'FILED'
      RETURN
*
PRIORITY.A: ORD<5> = 'A' ; RETURN
PRIORITY.B: ORD<5> = 'B' ; RETURN
END
