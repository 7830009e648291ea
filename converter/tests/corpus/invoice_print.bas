* INVOICE.PRINT
*   Prints one invoice with its lines and totals.
*
      PROMPT ''
      TAX.RATE = 0.2
      OPEN 'INVOICES' TO F.INV ELSE STOP 201, 'INVOICES'
      OPEN 'CUSTOMERS' TO F.CUST ELSE STOP 201, 'CUSTOMERS'
MAIN.LOOP: CRT 'Invoice number: ':
      INPUT INV.ID
      IF INV.ID = '' OR INV.ID = 'Q' THEN STOP
      READ INV FROM F.INV, INV.ID ELSE
         CRT 'No such invoice'
         GOTO MAIN.LOOP
      END
      READ CUST FROM F.CUST, INV<1> ELSE CUST = ''
      GOSUB PRINT_HEAD
      SUB.TOTAL = 0
      N.LINES = DCOUNT(INV<2>, CHAR(253))
      FOR L = 1 TO N.LINES
         DESC = INV<2,L>
         QTY = INV<3,L>
         PRICE = INV<4,L>
         AMOUNT = QTY * PRICE
         IF AMOUNT NE 0 THEN
            IF QTY > 1 THEN
               CRT DESC 'L#30':QTY 'R#5':PRICE 'R#10':AMOUNT 'R#10'
            END ELSE
               CRT DESC 'L#30':SPACE(15):AMOUNT 'R#10'
            END
         END
         SUB.TOTAL += AMOUNT
      NEXT L
      GOSUB PRINT_TOTALS
      GOTO MAIN.LOOP
*
PRINT_HEAD:
      CRT @(-1)
      CRT 'Invoice ':INV.ID:'   Date ':OCONV(INV<5>, 'D2/')
      NAME = CUST<1>
      IF LEN(NAME) GT 30 THEN NAME = NAME[1,30]
      CRT 'Customer: ':NAME
      CRT 'Initial : ':(CUST<1>:' ')[1,1]
      CRT STR('-', 55)
      RETURN
*
PRINT_TOTALS: * the three total lines
      TAX = SUB.TOTAL * TAX.RATE
      CRT STR('-', 55)
      CRT 'Sub total':SPACE(36):SUB.TOTAL 'R#10'
      CRT 'Tax':SPACE(42):TAX 'R#10'
      CRT 'Total':SPACE(40):(SUB.TOTAL + TAX) 'R#10'
      IF SUB.TOTAL <= 0 THEN CRT '*** credit note ***'
      IF SUB.TOTAL >= 10000 THEN CRT '*** needs approval ***'
      RETURN
   END
