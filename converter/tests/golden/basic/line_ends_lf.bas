X = 1
IF X THEN
   CRT "one"
END

Y = X : "!"
