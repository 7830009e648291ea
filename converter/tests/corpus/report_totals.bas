SUBROUTINE REPORT.TOTALS(FILE.NAME, FIELD.NO, TOTALS)
* Adds up one numeric field over every record of a file, by first letter of the id.
      TOTALS = ''
      COUNT = 0
      SKIPPED = 0
      OPEN FILE.NAME TO F.FILE ELSE RETURN
      SELECT F.FILE
NEXT.ID:
      READNEXT ID ELSE GOTO DONE.ALL
      READ R FROM F.FILE, ID ELSE GOTO NEXT.ID
      VALUE = R<FIELD.NO>
      IF VALUE = '' THEN
         SKIPPED += 1
         GOTO NEXT.ID
      END
      KEY = ID[1,1]
      LOCATE KEY IN TOTALS<1> SETTING POS ELSE
         TOTALS<1,POS> = KEY
         TOTALS<2,POS> = 0
      END
      TOTALS<2,POS> += VALUE
      COUNT += 1
      IF COUNT >= 1000 THEN
         CRT 'Stopping after 1000 records'
         GOTO DONE.ALL
      END
      GOTO NEXT.ID
*
DONE.ALL: CRT 'Records: ':COUNT:'  skipped: ':SKIPPED
      N = DCOUNT(TOTALS<1>, @VM)
      FOR I = 1 TO N
         IF TOTALS<2,I> GT 0 THEN
            CRT TOTALS<1,I>:' ':TOTALS<2,I> 'R2#12'
         END ELSE
            IF TOTALS<2,I> LT 0 THEN
               CRT TOTALS<1,I>:' negative'
            END ELSE
               CRT TOTALS<1,I>:' zero'
            END
         END
      NEXT I
      RETURN
END
