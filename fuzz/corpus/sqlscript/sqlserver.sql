DECLARE @x int; SET @x = 1;
SELECT [a]]b] FROM t
GO 2
SELECT 1
go
