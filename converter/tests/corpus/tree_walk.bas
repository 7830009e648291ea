* TREE.WALK - lists a parts tree, level by level
* The stack holds the parts still to be listed; the deepest level is
* reported at the end.
      DIM STACK(50)
      DEPTH = 0
      MAX.DEPTH = 0
      OPEN 'PARTS' TO F.PARTS ELSE
         CRT "Can't open PARTS"
         STOP
      END
      CRT 'Top part: ':
      INPUT TOP
      IF TOP = '' THEN STOP
      DEPTH = 1
      STACK(1) = TOP
1000  IF DEPTH < 1 THEN GOTO 9000
      PART = STACK(DEPTH)
      DEPTH -= 1
      READ P.REC FROM F.PARTS, PART THEN
         CRT SPACE(DEPTH * 2):PART:' ':P.REC<1>
         N.KIDS = DCOUNT(P.REC<2>, @VM)
         FOR K = N.KIDS TO 1 STEP -1
            IF DEPTH < 50 THEN
               DEPTH += 1
               STACK(DEPTH) = P.REC<2,K>
               IF DEPTH > MAX.DEPTH THEN MAX.DEPTH = DEPTH
            END ELSE
               CRT 'Tree too deep at ':PART
               GOTO 9000
            END
         NEXT K
      END ELSE
         CRT 'Missing part ':PART ; * not on file
      END
      GOTO 1000
*
9000  CRT 'Deepest level: ':MAX.DEPTH
      IF MAX.DEPTH # 0 THEN CRT 'Done' ELSE CRT 'Nothing listed'
      STOP
   END
