*
* REC.EDIT - a line editor for one record
*
      PROMPT ':'
      CRT 'File name: ':
      INPUT FILE.NAME
      OPEN FILE.NAME TO F.FILE ELSE
         CRT 'Cannot open ':FILE.NAME
         STOP
      END
GET.ID:
      CRT 'Record id: ':
      INPUT REC.ID
      IF REC.ID = '' THEN STOP
      READU REC FROM F.FILE, REC.ID LOCKED
         CRT 'Record in use'
         GOTO GET.ID
      END THEN
         CRT 'Record read'
      END ELSE
         CRT 'New record'
         REC = ''
      END
      CUR.LINE = 1
      LOOP
         CRT CUR.LINE 'R%3':' ':REC<CUR.LINE>
         INPUT CMD
         VERB = CMD[1,1]
         ARG = CMD[2,99]
      WHILE VERB NE 'Q' DO
         BEGIN CASE
            CASE VERB = 'N' ; CUR.LINE += 1
            CASE VERB = 'P'
               IF CUR.LINE > 1 THEN CUR.LINE -= 1
            CASE VERB = 'R'
               REC<CUR.LINE> = ARG
            CASE VERB = 'I'
               INS ARG BEFORE REC<CUR.LINE>
            CASE VERB = 'D'
               DEL REC<CUR.LINE>
            CASE VERB = 'F'
               GOSUB FILE_IT
               RELEASE F.FILE, REC.ID
               GOTO GET.ID
            CASE 1
               CRT 'Commands are N P R I D F Q'
         END CASE
      REPEAT
      RELEASE F.FILE, REC.ID
      GOTO GET.ID
*
FILE_IT: ! write the record back
      WRITE REC ON F.FILE, REC.ID
      CRT 'Filed ':REC.ID
      RETURN
   END
