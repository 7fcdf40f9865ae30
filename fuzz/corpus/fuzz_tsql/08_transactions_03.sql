commit tran
