SUB ORDER_ENTRY( ORDER_ID , STATUS )
'--- Takes the lines of one order, checks stock, files the order ---
      STATUS = ""
      MAX_LINES = 20
      DIM LINE_REC( 20 )
      Call Mat(LINE_REC, "")
      If Not OOPEN ( "ORDERS" , F_ORD ) Then STATUS = "NO ORDERS" :  RETURN
      If Not OOPEN ( "STOCK" , F_STK ) Then STATUS = "NO STOCK" :  RETURN
      If RREADU ( ORD , F_ORD , ORDER_ID ) Then
      ElseIf Val( Mid( ErrorDetail , 2 ) ) = 920 Then
      STATUS = "LOCKED" :  RETURN
      End If
      IF Extract( ORD , 1 ) = "" THEN ORD = RReplace( ORD , 1 , DATE( ) )
      N = 0
ASK_LINE:
      N = N + 1
      IF N > MAX_LINES THEN GOTO FILE_ORDER
      CRT "Item " & N & ": " , False
      IInput ITEM
      IF ITEM = "" THEN GOTO FILE_ORDER
      If Not RREADV ( ON_HAND , F_STK , ITEM , 3 ) Then
         CRT "Unknown item " & ITEM
         N = N - 1
         GOTO ASK_LINE
      END If
ASK_QTY:
CRT "Quantity: " , False
      IInput QTY
      IF NOT ( NUM( QTY ) ) OR QTY <= 0 THEN GOTO ASK_QTY
      IF QTY > ON_HAND THEN
      CC = 1 :  CRT "Only " & ON_HAND & " on hand"
      Else
         CC = 0
      END If
      IF CC = 1 THEN
      CRT "Take what is there? " , False :  IInput YN
      Else
         YN = "Y"
      END If
      IF Mid( YN , 1 , 1 ) <> "Y" THEN
         N = N - 1
         GOTO ASK_LINE
      END If
      IF CC = 1 THEN QTY = ON_HAND
      LINE_REC( N ) = ITEM & @VM & QTY
      ORD = RReplace( ORD , 2 , N , ITEM )
      ORD = RReplace( ORD , 3 , N , QTY )
      GOTO ASK_LINE
'
FILE_ORDER:
      IF N <= 1 THEN
         RELEASE F_ORD , ORDER_ID
         STATUS = "EMPTY"
         RETURN
      END If
      ON Extract( ORD , 4 ) GOSUB PRIORITY_A , PRIORITY_B
      CALL WWRITE ( ORD , F_ORD , ORDER_ID )
      STATUS = "FILED"
      RETURN
'
PRIORITY_A:
ORD = RReplace( ORD , 5 , "A" ) :  RETURN
PRIORITY_B:
ORD = RReplace( ORD , 5 , "B" ) :  RETURN
Exit Sub  ' === END ===
End Sub
